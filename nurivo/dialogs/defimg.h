// The image and position dialog: two control points, the frame and the drawing settings of
// one raster's image definition.
#pragma once
#include <string>

struct TImgDef;

// 0 when the raster cannot be loaded; 2 when the edited definition was copied into `def`
// ("確定" or the window frame); 1 on "取消", `def` unchanged.
int showDefImg(const std::string& caption, const std::string& folderPrefix, TImgDef* def);
