#version 110
// Toon shading: quantises the diffuse term of light 0 into four flat bands
// and applies them to the front material's diffuse colour.
varying vec3 normal;

void main()
{
    vec3 n = normalize(normal);
    vec3 l = normalize(gl_LightSource[0].position.xyz);
    float intensity = dot(n, l);

    float band;
    if (intensity > 0.95)
        band = 1.0;
    else if (intensity > 0.5)
        band = 0.7;
    else if (intensity > 0.25)
        band = 0.4;
    else
        band = 0.2;

    gl_FragColor = vec4(gl_FrontMaterial.diffuse.rgb * band, gl_FrontMaterial.diffuse.a);
}
