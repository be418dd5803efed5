#pragma once
// The layers drawn around and under the car. The logo screen is here now;
// the ground layers, the shadow, the other car and the beams join it with
// the 3D view.

// The logo screen (screen mode 20): common/logo.png, loaded once through
// Java, over the whole viewport, brightened by logoLuma.
void DrawLogo();
