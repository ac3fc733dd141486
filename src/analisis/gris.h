#pragma once
// Grey frames reduced by block means: the tracker's whole view of a picture.
#include <QString>
#include <optional>
#include <vector>

struct ImagenGris {
    std::vector<float> g; // row-major, 0..255, row 0 at the top
    int w = 0;
    int h = 0;
};

// Decodes the file and reduces it by `n` in both directions with block means (the
// rightmost width mod n columns and bottom height mod n rows are dropped).
std::optional<ImagenGris> leerGris(const QString& ruta, int n);

// The tw x th patch at (x, y); the caller guarantees it lies inside the image.
std::vector<float> trozo(const std::vector<float>& g, int w, int x, int y, int tw, int th);
