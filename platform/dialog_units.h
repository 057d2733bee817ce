#pragma once
// Dialog units of the dialog layouts to pixels: the dialog font's average character is 7 x 13
// pixels, a dialog unit a quarter of its width and an eighth of its height.
namespace qvtk {

constexpr int DialogX(int units) {
    return units * 7 / 4;
}
constexpr int DialogY(int units) {
    return units * 13 / 8;
}

} // namespace qvtk
