#version 110
// Samples texture unit 0 and tints the texel (alpha included) by colors.
uniform sampler2D tex;
uniform vec4 colors;

void main()
{
    gl_FragColor = texture2D(tex, gl_TexCoord[0].st) * colors;
}
