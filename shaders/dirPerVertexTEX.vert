#version 110
// Directional light, per vertex, textured: computes ambient + diffuse of light 0
// at each vertex and passes texture coordinate set 0.

void main()
{
    vec3 n = normalize(gl_NormalMatrix * gl_Normal);
    vec3 l = normalize(gl_LightSource[0].position.xyz);
    float ndotl = max(dot(n, l), 0.0);

    vec4 color = gl_FrontMaterial.ambient * (gl_LightSource[0].ambient + gl_LightModel.ambient);
    color += gl_FrontMaterial.diffuse * gl_LightSource[0].diffuse * ndotl;
    gl_FrontColor = vec4(color.rgb, gl_FrontMaterial.diffuse.a);

    gl_TexCoord[0] = gl_MultiTexCoord0;
    gl_Position = ftransform();
}
