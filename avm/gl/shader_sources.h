#pragma once
// The GLSL ES 1.00 sources of every program of the renderer, exported as
// NUL-terminated constant strings so that other code can build the same
// programs.
extern "C" {

extern const char shader_single_vert[];
extern const char shader_single_frag[];      // external (camera) image
extern const char shader_single_frag_pic[];  // ordinary 2D texture
extern const char shader_vert_color[];
extern const char shader_frag_color[];
extern const char shader_car_vert[];
extern const char shader_car_frag[];
extern const char shader_obj_vert[];
extern const char shader_obj_frag[];
extern const char shader_track_vert[];
extern const char shader_track_frag[];

}  // extern "C"
