#version 120
// Height-field: passes the vertex height (object-space y), normalised to
// [minHeight, maxHeight], plus texture coordinates and a per-vertex diffuse term.
uniform float minHeight = 0.0;
uniform float maxHeight = 1.0;

varying float height;
varying float diffuse;

void main()
{
    height = clamp((gl_Vertex.y - minHeight) / max(maxHeight - minHeight, 0.0001), 0.0, 1.0);

    vec3 n = normalize(gl_NormalMatrix * gl_Normal);
    vec3 l = normalize(gl_LightSource[0].position.xyz);
    diffuse = max(dot(n, l), 0.0);

    gl_TexCoord[0] = gl_MultiTexCoord0;
    gl_Position = ftransform();
}
