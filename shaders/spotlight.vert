#version 110
// Spot light, per pixel: passes the eye-space normal and position.
varying vec3 normal;
varying vec3 eyePos;

void main()
{
    normal = gl_NormalMatrix * gl_Normal;
    eyePos = vec3(gl_ModelViewMatrix * gl_Vertex);
    gl_Position = ftransform();
}
