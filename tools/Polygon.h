#ifndef TOOLS_POLYGON_H
#define TOOLS_POLYGON_H

// Point-in-polygon and edge distance for the image generators, which draw outlined shapes by
// supersampling: a sample inside the polygon is covered, and white unless it lies within the
// outline's width of an edge.

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

#endif
