#version 110
// Directional light, per pixel: ambient + Lambert diffuse of light 0 with the
// front material, evaluated with the interpolated normal.
varying vec3 normal;

void main()
{
    vec3 n = normalize(normal);
    vec3 l = normalize(gl_LightSource[0].position.xyz);
    float ndotl = max(dot(n, l), 0.0);

    vec4 color = gl_FrontMaterial.ambient * (gl_LightSource[0].ambient + gl_LightModel.ambient);
    color += gl_FrontMaterial.diffuse * gl_LightSource[0].diffuse * ndotl;
    gl_FragColor = vec4(color.rgb, gl_FrontMaterial.diffuse.a);
}
