#version 110
// Modulates the texel from unit 0 by the interpolated per-vertex lighting.
uniform sampler2D tex;

void main()
{
    gl_FragColor = texture2D(tex, gl_TexCoord[0].st) * gl_Color;
}
