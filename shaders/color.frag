#version 110
// Outputs the interpolated vertex colour unchanged.

void main()
{
    gl_FragColor = gl_Color;
}
