#version 120
// Height-field: colours the terrain by height (water -> grass -> rock -> snow),
// modulates it with the texture on unit 0 and applies simple diffuse shading.
uniform sampler2D tex;

varying float height;
varying float diffuse;

void main()
{
    const vec3 water = vec3(0.15, 0.30, 0.65);
    const vec3 grass = vec3(0.25, 0.60, 0.20);
    const vec3 rock  = vec3(0.50, 0.42, 0.35);
    const vec3 snow  = vec3(0.95, 0.95, 0.98);

    vec3 ramp = mix(water, grass, smoothstep(0.00, 0.25, height));
    ramp = mix(ramp, rock, smoothstep(0.40, 0.70, height));
    ramp = mix(ramp, snow, smoothstep(0.75, 0.95, height));

    vec4 texel = texture2D(tex, gl_TexCoord[0].st);
    float light = 0.3 + 0.7 * diffuse;
    gl_FragColor = vec4(ramp * texel.rgb * light, texel.a);
}
