#version 110
// Directional light, per pixel: passes the eye-space normal to the fragment stage.
varying vec3 normal;

void main()
{
    normal = gl_NormalMatrix * gl_Normal;
    gl_Position = ftransform();
}
