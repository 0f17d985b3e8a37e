#version 110
// Flat colour: transforms the vertex and forwards the vertex colour.

void main()
{
    gl_FrontColor = gl_Color;
    gl_Position = ftransform();
}
