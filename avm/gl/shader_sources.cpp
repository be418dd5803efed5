#include "avm/gl/shader_sources.h"

extern "C" {

const char shader_single_vert[] =
    "uniform mat4 u_matProj;\n"
    "attribute vec4 a_vPosition;\n"
    "attribute vec2 a_vTexCoord;\n"
    "varying vec2 v_vTexCoord;\n"
    "void main() {\n"
    "  gl_Position = u_matProj * a_vPosition;\n"
    "  v_vTexCoord = a_vTexCoord;\n"
    "}\n";

const char shader_single_frag[] =
    "#extension GL_OES_EGL_image_external : require\n"
    "precision mediump float;\n"
    "uniform samplerExternalOES texture_External;\n"
    "varying vec2 v_vTexCoord;\n"
    "uniform int bPicture;\n"
    "uniform float lumaAll;\n"
    "void main() {\n"
    "  gl_FragColor = texture2D(texture_External, v_vTexCoord);\n"
    "  gl_FragColor.rgb = gl_FragColor.rgb + lumaAll;\n"
    "}\n";

const char shader_single_frag_pic[] =
    "precision mediump float;\n"
    "uniform sampler2D texture;\n"
    "varying vec2 v_vTexCoord;\n"
    "uniform int bPicture;\n"
    "uniform float lumaAll;\n"
    "void main() {\n"
    "  gl_FragColor = texture2D(texture, v_vTexCoord);\n"
    "  gl_FragColor.rgb = gl_FragColor.rgb + lumaAll;\n"
    "}\n";

const char shader_vert_color[] =
    "uniform mat4 u_matProj;\n"
    "attribute vec4 a_vPosition;\n"
    "void main() {\n"
    "  gl_Position = u_matProj * a_vPosition;\n"
    "}\n";

const char shader_frag_color[] =
    "precision mediump float;\n"
    "uniform float luma;\n"
    "void main() {\n"
    "  gl_FragColor.r = luma;\n"
    "  gl_FragColor.g = luma;\n"
    "  gl_FragColor.b = luma;\n"
    "  gl_FragColor.a = 1.0;\n"
    "}\n";

const char shader_car_vert[] =
    "attribute vec4 vPosition;\n"
    "attribute vec2 vCoord;\n"
    "varying vec2 aCoord;\n"
    "uniform mat4 vMatrix;\n"
    "void main() {\n"
    "  aCoord = vCoord;\n"
    "  gl_Position = vMatrix * vPosition;\n"
    "}\n";

// AlphaValue scales the colour only: with source-alpha blending a value
// below 1 darkens the car instead of making it see-through.
const char shader_car_frag[] =
    "precision mediump float;\n"
    "varying vec2 aCoord;\n"
    "uniform sampler2D vTexture;\n"
    "uniform sampler2D vTextureAlpha;\n"
    "uniform int PkmFlag;\n"
    "uniform int AlphaFlag;\n"
    "uniform float AlphaValue;\n"
    "void main() {\n"
    "  vec4 color = texture2D(vTexture, aCoord);\n"
    "  if (PkmFlag == 1) {\n"
    "    color.a = texture2D(vTextureAlpha, aCoord).r;\n"
    "  }\n"
    "  if (AlphaFlag == 1) {\n"
    "    color.rgb = color.rgb * AlphaValue;\n"
    "  }\n"
    "  gl_FragColor = color;\n"
    "}\n";

const char shader_obj_vert[] =
    "attribute vec4 vPosition;\n"
    "uniform mat4 vMatrix;\n"
    "void main() {\n"
    "  gl_Position = vMatrix * vPosition;\n"
    "}\n";

const char shader_obj_frag[] =
    "precision mediump float;\n"
    "uniform float carColor[4];\n"
    "void main() {\n"
    "  gl_FragColor.r = carColor[0];\n"
    "  gl_FragColor.g = carColor[1];\n"
    "  gl_FragColor.b = carColor[2];\n"
    "  gl_FragColor.a = 1.0;\n"
    "}\n";

const char shader_track_vert[] =
    "uniform mat4 u_matView;\n"
    "uniform mat4 u_matProj;\n"
    "attribute vec4 a_vPosition;\n"
    "attribute vec2 a_vTexCoord;\n"
    "varying vec2 v_vTexCoord;\n"
    "void main() {\n"
    "  vec4 vPosition = u_matView * a_vPosition;\n"
    "  gl_Position = u_matProj * vPosition;\n"
    "  v_vTexCoord = a_vTexCoord;\n"
    "}\n";

const char shader_track_frag[] =
    "precision mediump float;\n"
    "uniform sampler2D u_sTexture;\n"
    "varying vec2 v_vTexCoord;\n"
    "void main() {\n"
    "  gl_FragColor = texture2D(u_sTexture, v_vTexCoord);\n"
    "}\n";

}  // extern "C"
