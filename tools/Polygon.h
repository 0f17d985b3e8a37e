#ifndef TOOLS_POLYGON_H
#define TOOLS_POLYGON_H

// Point-in-polygon and edge distance for the image generators, which draw outlined shapes by
// supersampling: a sample inside the polygon is covered, and white unless it lies within the
// outline's width of an edge.

#include "PngWriter.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

struct Point {
    double x, y;
};

// Even-odd rule; a polygon is its corners in order.
inline bool insidePolygon(const std::vector<Point>& poly, double x, double y)
{
    bool inside = false;
    for (std::size_t i = 0, j = poly.size() - 1; i < poly.size(); j = i++) {
        const Point& a = poly[i];
        const Point& b = poly[j];
        if ((a.y > y) != (b.y > y) && x < (b.x - a.x) * (y - a.y) / (b.y - a.y) + a.x)
            inside = !inside;
    }
    return inside;
}

inline double distanceToPolygonEdge(const std::vector<Point>& poly, double x, double y)
{
    double best = 1e9;
    for (std::size_t i = 0, j = poly.size() - 1; i < poly.size(); j = i++) {
        const Point& a = poly[j];
        const Point& b = poly[i];
        const double dx = b.x - a.x, dy = b.y - a.y;
        const double t = std::clamp(((x - a.x) * dx + (y - a.y) * dy) / (dx * dx + dy * dy), 0.0, 1.0);
        best = std::min(best, std::hypot(x - a.x - t * dx, y - a.y - t * dy));
    }
    return best;
}

// A mouse-pointer image: the shapes in white with a black outline of the given width, antialiased
// by 8 by 8 supersampling; where shapes overlap the first one listed covers the others. The
// engine puts pixel (0, 0) on the mouse position, so that pixel is made opaque black: a
// half-covered tip would blur the hot spot.
inline png::Image outlinedPointer(int size, const std::vector<const std::vector<Point>*>& shapes, double outline)
{
    constexpr int kSub = 8;
    png::Image img(size, size);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            int covered = 0, white = 0;
            for (int sy = 0; sy < kSub; ++sy) {
                for (int sx = 0; sx < kSub; ++sx) {
                    const double px = x + (sx + 0.5) / kSub;
                    const double py = y + (sy + 0.5) / kSub;
                    const std::vector<Point>* shape = nullptr;
                    for (const std::vector<Point>* candidate : shapes) {
                        if (insidePolygon(*candidate, px, py)) {
                            shape = candidate;
                            break;
                        }
                    }
                    if (!shape)
                        continue;
                    ++covered;
                    if (distanceToPolygonEdge(*shape, px, py) > outline)
                        ++white;
                }
            }
            if (covered == 0)
                continue;
            const double grey = static_cast<double>(white) / covered;
            img.set(x, y, grey, grey, grey, static_cast<double>(covered) / (kSub * kSub));
        }
    }
    img.set(0, 0, 0.0, 0.0, 0.0, 1.0);
    return img;
}

#endif
