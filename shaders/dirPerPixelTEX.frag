#version 110
// Directional light, per pixel, textured: ambient + Lambert diffuse of light 0
// evaluated per fragment, modulating the texel from unit 0.
uniform sampler2D tex;
varying vec3 normal;

void main()
{
    vec3 n = normalize(normal);
    vec3 l = normalize(gl_LightSource[0].position.xyz);
    float ndotl = max(dot(n, l), 0.0);

    vec4 light = gl_FrontMaterial.ambient * (gl_LightSource[0].ambient + gl_LightModel.ambient);
    light += gl_FrontMaterial.diffuse * gl_LightSource[0].diffuse * ndotl;

    vec4 texel = texture2D(tex, gl_TexCoord[0].st);
    gl_FragColor = vec4(texel.rgb * light.rgb, texel.a * gl_FrontMaterial.diffuse.a);
}
