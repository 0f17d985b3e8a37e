#version 110
// Point light, per pixel: ambient + diffuse + Blinn-Phong specular of light 0,
// scaled by its constant/linear/quadratic distance attenuation.
varying vec3 normal;
varying vec3 eyePos;

void main()
{
    vec3 n = normalize(normal);
    vec3 toLight = gl_LightSource[0].position.xyz - eyePos;
    float dist = length(toLight);
    vec3 l = toLight / dist;

    float atten = 1.0 / (gl_LightSource[0].constantAttenuation +
                         gl_LightSource[0].linearAttenuation * dist +
                         gl_LightSource[0].quadraticAttenuation * dist * dist);

    float ndotl = max(dot(n, l), 0.0);
    vec4 color = gl_FrontMaterial.ambient * gl_LightModel.ambient;
    color += atten * gl_FrontMaterial.ambient * gl_LightSource[0].ambient;
    color += atten * gl_FrontMaterial.diffuse * gl_LightSource[0].diffuse * ndotl;

    if (ndotl > 0.0) {
        vec3 h = normalize(l - normalize(eyePos));
        float highlight = pow(max(dot(n, h), 0.0), max(gl_FrontMaterial.shininess, 1.0));
        color += atten * gl_FrontMaterial.specular * gl_LightSource[0].specular * highlight;
    }
    gl_FragColor = vec4(color.rgb, gl_FrontMaterial.diffuse.a);
}
