#version 110
// Toon shading: passes the eye-space normal for per-fragment banding.
varying vec3 normal;

void main()
{
    normal = gl_NormalMatrix * gl_Normal;
    gl_Position = ftransform();
}
