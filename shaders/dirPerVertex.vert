#version 110
// Directional light, per vertex: ambient + Lambert diffuse of light 0 with the
// front material, computed at each vertex and interpolated.

void main()
{
    vec3 n = normalize(gl_NormalMatrix * gl_Normal);
    vec3 l = normalize(gl_LightSource[0].position.xyz);
    float ndotl = max(dot(n, l), 0.0);

    vec4 color = gl_FrontMaterial.ambient * (gl_LightSource[0].ambient + gl_LightModel.ambient);
    color += gl_FrontMaterial.diffuse * gl_LightSource[0].diffuse * ndotl;
    gl_FrontColor = vec4(color.rgb, gl_FrontMaterial.diffuse.a);
    gl_Position = ftransform();
}
