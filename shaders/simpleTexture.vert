#version 110
// Textured 2D geometry: offsets the vertex by tpos (e.g. the font's bold pass)
// and passes texture coordinate set 0 through.
uniform vec3 tpos;

void main()
{
    gl_TexCoord[0] = gl_MultiTexCoord0;
    gl_Position = gl_ModelViewProjectionMatrix * (gl_Vertex + vec4(tpos, 0.0));
}
