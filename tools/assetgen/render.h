// Draws the outputs of an asset script: shapes with smooth edges (coverage from each shape's distance to the
// pixel centre), symbols scaled into place, frames of an animation, clicks of a sound; and the file bytes.
#pragma once

#include <cstdint>
#include <vector>

#include "asset_files.h"
#include "asset_script.h"

namespace sarn::assets {

// One frame of a picture (frame 0) or animation, at width x scale by height x scale pixels.
Image RenderFrame(const Script& script, const Output& out, int frame);

// One image of an icon, size x size pixels; the drawing's 0..100 fills it.
Image RenderIcon(const Script& script, const Output& out, int size);

// A sound's samples: each click a short burst, a tone with some noise, dying away. The same script always
// gives the same samples.
std::vector<std::int16_t> RenderSound(const Output& out);

// The whole file of an output; empty when a writer refuses it.
Bytes BuildOutput(const Script& script, const Output& out);

}  // namespace sarn::assets
