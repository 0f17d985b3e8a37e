#version 110
// Textured 2D geometry. tpos is an offset in window pixels added after the model-view transform:
// the font places its bold pass with it and sets it back to zero afterwards.
uniform vec3 tpos;

void main()
{
    gl_TexCoord[0] = gl_MultiTexCoord0;
    gl_Position = gl_ProjectionMatrix * (gl_ModelViewMatrix * gl_Vertex + vec4(tpos, 0.0));
}
