#version 110
// Directional light, per pixel, textured: passes the eye-space normal and
// texture coordinate set 0.
varying vec3 normal;

void main()
{
    normal = gl_NormalMatrix * gl_Normal;
    gl_TexCoord[0] = gl_MultiTexCoord0;
    gl_Position = ftransform();
}
