#version 110
// Outputs the lit colour interpolated from the vertices.

void main()
{
    gl_FragColor = gl_Color;
}
