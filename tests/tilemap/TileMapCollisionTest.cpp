// Collisions with a tile map: which cells a rectangle overlaps, what is solid (tiles by their
// property, objects by theirs, their layer's or their type), and boxes moved against walls at every
// speed up to a tile per step. The maps are written here as TMX text; every expectation is the
// wall's edge worked out from the grid the test itself laid out.
#include "engine/core/Log.h"
#include "engine/tilemap/TileMap.h"
#include "tests/support/TestHarness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

const int kTile = 16;
const int kSize = 12;  // cells each way

// Local tile 0 is solid, 1 is ground, 2 is solid under the name "wall" only.
std::string tileset()
{
    return "<tileset firstgid=\"1\" name=\"t\" tilewidth=\"16\" tileheight=\"16\" tilecount=\"4\" columns=\"2\">"
           "<image source=\"none.png\" width=\"32\" height=\"32\"/>"
           "<tile id=\"0\"><properties><property name=\"solid\" type=\"bool\" value=\"true\"/></properties></tile>"
           "<tile id=\"2\"><properties><property name=\"wall\" type=\"bool\" value=\"true\"/></properties></tile>"
           "</tileset>";
}

std::string map(const std::vector<uint32_t>& gids, const std::string& objects = "")
{
    std::string data;
    for (std::size_t i = 0; i < gids.size(); ++i)
        data += std::to_string(gids[i]) + (i + 1 < gids.size() ? "," : "");
    return "<?xml version=\"1.0\"?><map version=\"1.10\" orientation=\"orthogonal\" width=\"" +
           std::to_string(kSize) + "\" height=\"" + std::to_string(kSize) +
           "\" tilewidth=\"16\" tileheight=\"16\">" + tileset() + "<layer id=\"1\" name=\"g\" width=\"" +
           std::to_string(kSize) + "\" height=\"" + std::to_string(kSize) + "\"><data encoding=\"csv\">" + data +
           "</data></layer>" + objects + "</map>";
}

// A room: solid cells (gid 1) all round the border and a pillar at columns 5-6, rows 4-7; ground
// (gid 2) inside.
std::vector<uint32_t> room()
{
    std::vector<uint32_t> gids(kSize * kSize, 2);
    for (int row = 0; row < kSize; ++row)
        for (int column = 0; column < kSize; ++column)
            if (row == 0 || column == 0 || row == kSize - 1 || column == kSize - 1 ||
                (column >= 5 && column <= 6 && row >= 4 && row <= 7))
                gids[row * kSize + column] = 1;
    return gids;
}

struct Box {
    double left, top, right, bottom;
};

// The room's walls as the test laid them out, in map pixels.
std::vector<Box> roomWalls()
{
    const double end = kSize * kTile;
    return {{0, 0, end, kTile},
            {0, end - kTile, end, end},
            {0, 0, kTile, end},
            {end - kTile, 0, end, end},
            {5 * kTile, 4 * kTile, 7 * kTile, 8 * kTile}};
}

bool overlapsAny(const std::vector<Box>& walls, double x, double y, double w, double h)
{
    for (const Box& wall : walls)
        if (x < wall.right && x + w > wall.left && y < wall.bottom && y + h > wall.top)
            return true;
    return false;
}

class Collisions : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(tiles.parse(map(room()), "room.tmx"));
    }
    CTileMap tiles;
};

}  // namespace

TEST_F(Collisions, ARectangleOverlapsTheCellsItReachesIntoButNotThoseItOnlyTouches)
{
    int c0 = -1, r0 = -1, c1 = -1, r1 = -1;
    ASSERT_TRUE(tiles.getOverlappedCells(16, 16, 16, 16, c0, r0, c1, r1));
    EXPECT_EQ(1, c0);
    EXPECT_EQ(1, r0);
    EXPECT_EQ(2, c1);
    EXPECT_EQ(2, r1);
    ASSERT_TRUE(tiles.getOverlappedCells(15.5f, 31.0f, 1.0f, 2.0f, c0, r0, c1, r1));
    EXPECT_EQ(0, c0);
    EXPECT_EQ(1, r0);
    EXPECT_EQ(1 + 1, c1);
    EXPECT_EQ(3, r1);
    // Clipped to the map; entirely outside it, none.
    ASSERT_TRUE(tiles.getOverlappedCells(-40, -40, 60, 60, c0, r0, c1, r1));
    EXPECT_EQ(0, c0);
    EXPECT_EQ(2, c1);
    EXPECT_FALSE(tiles.getOverlappedCells(500, 0, 10, 10, c0, r0, c1, r1));
    EXPECT_FALSE(tiles.getOverlappedCells(20, 20, 0, 10, c0, r0, c1, r1));

    EXPECT_TRUE(tiles.isSolidCell(0, 3));
    EXPECT_TRUE(tiles.isSolidCell(6, 7));
    EXPECT_FALSE(tiles.isSolidCell(4, 7));
    EXPECT_FALSE(tiles.isSolidCell(-1, 3));
    EXPECT_FALSE(tiles.isSolid(16, 16, 64, 48));       // touches the border and the pillar's top-left
    EXPECT_TRUE(tiles.isSolid(16, 16, 64.5f, 48.5f));  // and now reaches into the pillar
    EXPECT_TRUE(tiles.isSolid(15.9f, 100, 4, 4));
}

// A box pushed into each wall of the room at every speed from a tenth of a tile to a whole tile per
// step, with a sideways push of half that: it never overlaps a wall, ends flush against the one it
// runs into, and meanwhile slides along it by the whole sideways push.
TEST_F(Collisions, ABoxPushedIntoAWallAtAnySpeedUpToATilePerStepStopsFlushAndSlidesAlongIt)
{
    const std::vector<Box> walls = roomWalls();
    const float w = 10.0f, h = 12.0f;
    struct Push {
        float startX, startY, dx, dy;  // dx, dy: direction of the push; the wall is along dx
        double stopAt;                 // where the leading edge ends (x for a push along x, else y)
    };
    // Each slide's path is clear of the other walls until the box meets its own.
    const Push pushes[] = {
        {100, 20, 1, 0.5f, (kSize - 1) * kTile},  // right into the right border, sliding down
        {20, 66, 1, 0.5f, 5 * kTile},             // right into the pillar's left side
        {160, 70, -1, 0.5f, 7 * kTile},           // left into the pillar's right side
        {150, 100, -0.5f, -1, kTile},             // up into the top border, sliding left
        {20, 20, 0.25f, 1, (kSize - 1) * kTile},  // down into the bottom border, sliding right
    };
    for (const Push& push : pushes)
        for (int tenths = 1; tenths <= 10; ++tenths) {
            const float speed = kTile * tenths / 10.0f;
            const bool alongX = push.dx == 1 || push.dx == -1;
            CVector2 box(push.startX, push.startY);
            float sideways = alongX ? box.y : box.x;
            ASSERT_FALSE(overlapsAny(walls, box.x, box.y, w, h));
            bool reached = false;
            for (int step = 0; step < 200 && !reached; ++step) {
                box = tiles.moveBox(box, CVector2(w, h), CVector2(push.dx * speed, push.dy * speed));
                ASSERT_FALSE(overlapsAny(walls, box.x, box.y, w, h))
                    << "speed " << tenths << "/10 step " << step << " at " << box.x << ", " << box.y;
                const double lead = alongX ? (push.dx > 0 ? box.x + w : box.x) : (push.dy > 0 ? box.y + h : box.y);
                reached = std::fabs(lead - push.stopAt) < 1e-3;
                // Sliding: the sideways coordinate takes the whole sideways push every step.
                sideways += (alongX ? push.dy : push.dx) * speed;
                EXPECT_NEAR(sideways, alongX ? box.y : box.x, 1e-3) << "speed " << tenths << "/10";
            }
            EXPECT_TRUE(reached) << "push " << &push - pushes << " at " << tenths << "/10 of a tile ended at "
                                 << box.x << ", " << box.y;
            // Pushed on into the wall, it stays where it is along the wall's axis.
            const CVector2 held = tiles.moveBox(box, CVector2(w, h), CVector2(push.dx * speed, 0));
            if (alongX) {
                EXPECT_NEAR(box.x, held.x, 1e-3);
            }
        }
}

TEST_F(Collisions, NoStepTunnelsThroughAOneTileWallAndABoxInsideAWallCanWalkOut)
{
    // Column 5 is solid only in rows 4-7; a box at rows 5-6 runs at it from every sub-pixel start.
    for (int start = 0; start < 32; ++start) {
        CVector2 box(20.0f + start * 0.37f, 5 * kTile + 2);
        for (int step = 0; step < 20; ++step)
            box = tiles.moveBox(box, CVector2(8, 8), CVector2(kTile, 0));
        EXPECT_EQ(float(5 * kTile - 8), box.x) << start;
        // And three tiles a step, past what a game should ask, still stops.
        CVector2 fast(20.0f + start * 0.37f, 5 * kTile + 2);
        for (int step = 0; step < 3; ++step)
            fast = tiles.moveBox(fast, CVector2(8, 8), CVector2(3 * kTile, 0));
        EXPECT_EQ(float(5 * kTile - 8), fast.x) << start;
    }
    // A box placed half inside the pillar is not held by it: it moves away, and back only to its edge.
    const CVector2 inside(5 * kTile - 4, 5 * kTile);
    EXPECT_EQ(5 * kTile - 4 - 6.0f, tiles.moveBox(inside, CVector2(8, 8), CVector2(-6, 0)).x);
    // Into a corner diagonally: flush on both axes.
    const CVector2 corner = tiles.moveBox(CVector2(150, 150), CVector2(10, 10), CVector2(16, 16));
    EXPECT_EQ(float((kSize - 1) * kTile - 10), corner.x);
    EXPECT_EQ(float((kSize - 1) * kTile - 10), corner.y);
}

TEST(TileMapObjects, SolidRectanglesOfObjectLayersBlockByTheirPropertyTheirLayersOrTheirType)
{
    // An open field (ground only) with objects: A solid by its property, B by its type, C in a solid
    // layer, D in that layer but saying it is not solid, E turned a quarter about its top-left
    // corner, F a tile object standing on its bottom-left corner, G a point.
    const std::string objects =
        "<objectgroup id=\"2\" name=\"plain\">"
        "<object id=\"1\" name=\"A\" x=\"40\" y=\"20\" width=\"8\" height=\"100\">"
        "<properties><property name=\"solid\" type=\"bool\" value=\"true\"/></properties></object>"
        "<object id=\"2\" name=\"B\" type=\"solid\" x=\"20\" y=\"150\" width=\"60\" height=\"5\"/>"
        "<object id=\"6\" name=\"F\" gid=\"2\" x=\"150\" y=\"60\" width=\"16\" height=\"16\">"
        "<properties><property name=\"solid\" type=\"bool\" value=\"true\"/></properties></object>"
        "<object id=\"7\" name=\"G\" x=\"100\" y=\"100\"><point/></object>"
        "</objectgroup>"
        "<objectgroup id=\"3\" name=\"walls\" offsetx=\"2\" offsety=\"0\">"
        "<properties><property name=\"solid\" type=\"bool\" value=\"true\"/></properties>"
        "<object id=\"3\" name=\"C\" x=\"100\" y=\"10\" width=\"10\" height=\"30\"/>"
        "<object id=\"4\" name=\"D\" x=\"100\" y=\"60\" width=\"10\" height=\"30\">"
        "<properties><property name=\"solid\" type=\"bool\" value=\"false\"/></properties></object>"
        "<object id=\"5\" name=\"E\" x=\"130\" y=\"120\" width=\"20\" height=\"6\" rotation=\"90\"/>"
        "</objectgroup>";
    CTileMap field;
    ASSERT_TRUE(field.parse(map(std::vector<uint32_t>(kSize * kSize, 2), objects), "field.tmx"));
    const CVector2 size(6, 6);
    // A (x 40..48): a box going right from x 10 stops with its right edge at 40.
    EXPECT_EQ(34.0f, field.moveBox(CVector2(10, 50), size, CVector2(50, 0)).x);
    // B (y 150..155): going down from y 120 stops at 150 - 6.
    EXPECT_EQ(144.0f, field.moveBox(CVector2(30, 120), size, CVector2(0, 40)).y);
    // C, moved by its layer's offset to x 102..112: stops at 96.
    EXPECT_EQ(96.0f, field.moveBox(CVector2(80, 20), size, CVector2(30, 0)).x);
    // D does not block.
    EXPECT_EQ(110.0f, field.moveBox(CVector2(80, 70), size, CVector2(30, 0)).x);
    // E turned clockwise by 90 degrees about (132, 120): x 126..132, y 120..140.
    EXPECT_EQ(132.0f, field.moveBox(CVector2(170, 125), size, CVector2(-50, 0)).x);
    EXPECT_TRUE(field.isSolid(127, 135, 2, 2));
    EXPECT_FALSE(field.isSolid(133, 135, 2, 2));
    // F stands on (150, 60): y 44..60.
    EXPECT_EQ(60.0f, field.moveBox(CVector2(152, 90), size, CVector2(0, -40)).y);
    // G, a point, blocks nothing.
    EXPECT_EQ(120.0f, field.moveBox(CVector2(80, 97), size, CVector2(40, 0)).x);
    // Another property name: only tiles and objects with it block.
    field.setSolidProperty("wall");
    EXPECT_EQ(60.0f, field.moveBox(CVector2(10, 50), size, CVector2(50, 0)).x);
    field.setSolidProperty("solid");
    EXPECT_EQ(34.0f, field.moveBox(CVector2(10, 50), size, CVector2(50, 0)).x);
}

TEST(TileMapObjects, TilesSolidUnderAnotherNameBlockOnlyUnderThatName)
{
    std::vector<uint32_t> gids(kSize * kSize, 2);
    gids[3 * kSize + 4] = 3;  // column 4, row 3: solid as "wall"
    CTileMap tiles;
    ASSERT_TRUE(tiles.parse(map(gids), "walls.tmx"));
    EXPECT_FALSE(tiles.isSolidCell(4, 3));
    tiles.setSolidProperty("wall");
    EXPECT_TRUE(tiles.isSolidCell(4, 3));
    EXPECT_EQ(float(4 * kTile - 5), tiles.moveBox(CVector2(10, 3 * kTile + 4), CVector2(5, 5), CVector2(80, 0)).x);
    testing_support::CStdoutCapture capture;
    capture.start();
    tiles.setSolidProperty("");
    EXPECT_EQ("wall", tiles.getSolidProperty());
    const CVector2 kept = tiles.moveBox(CVector2(10, 10), CVector2(5, 5), CVector2(NAN, 1));
    const CVector2 kept2 = tiles.moveBox(CVector2(10, 10), CVector2(-5, 5), CVector2(1, 1));
    const std::vector<std::string> lines = capture.lines();
    EXPECT_EQ(10.0f, kept.x);
    EXPECT_EQ(10.0f, kept.y);
    EXPECT_EQ(10.0f, kept2.x);
    ASSERT_EQ(3u, lines.size());
    EXPECT_EQ("Ignored an empty solid property name for the tile map: walls.tmx", lines[0]);
    EXPECT_EQ("Ignored a box move in the tile map: walls.tmx, Error: the position, size and step must be finite "
              "and the size at least 0",
              lines[1]);
    EXPECT_EQ(lines[1], lines[2]);
}

// The tile walker's own map: a walker's feet (20 by 12, as the example moves them) sent every way
// from the start, a tile or less at a time, never stand on water (ground ids 3 and 4) or under a
// tree (decoration id 7), which make_tile_walker lays out; and walking right along the path crosses
// the river by its bridge.
TEST(TileWalkerMap, TheWalkerCannotWalkThroughTreesOrIntoTheRiver)
{
    std::ifstream file("Data/TileWalker/world.tmx", std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    CTileMap world;
    ASSERT_TRUE(world.parse(bytes, "Data/TileWalker/world.tmx"));
    const CObjectLayer* objects = world.findObjectLayer("objects");
    ASSERT_NE(nullptr, objects);
    ASSERT_EQ(1u, objects->objects.size());
    const CVector2 start(objects->objects[0].x - 10, objects->objects[0].y - 12);
    const CVector2 size(20, 12);
    const auto blocked = [&world](CVector2 at, CVector2 box) {
        const int tile = 32;
        for (int row = int(std::floor(at.y / tile)); row * tile < at.y + box.y; ++row)
            for (int column = int(std::floor(at.x / tile)); column * tile < at.x + box.x; ++column) {
                const uint32_t ground = world.getGid(0, column, row), decoration = world.getGid(1, column, row);
                if (ground == 3 || ground == 4 || decoration == 7)
                    return true;
            }
        return false;
    };
    ASSERT_FALSE(blocked(start, size));
    int stops = 0;
    for (int direction = 0; direction < 16; ++direction) {
        const double angle = direction * 3.14159265358979 / 8;
        for (float speed : {3.2f, 17.0f, 32.0f}) {
            CVector2 at = start;
            for (int step = 0; step < 4000 / speed; ++step) {
                // As the example does: the step cut at the map's edges, the rest checked by the map.
                const float toX = std::clamp(at.x + float(std::cos(angle) * speed), 0.0f, 80 * 32 - size.x);
                const float toY = std::clamp(at.y + float(std::sin(angle) * speed), 0.0f, 60 * 32 - size.y);
                const CVector2 next = world.moveBox(at, size, CVector2(toX - at.x, toY - at.y));
                stops += next.x != toX || next.y != toY;
                at = next;
                ASSERT_FALSE(blocked(at, size))
                    << "direction " << direction << " speed " << speed << " at " << at.x << ", " << at.y;
            }
        }
    }
    EXPECT_GT(stops, 0);  // something was run into
    CVector2 at = start;
    for (int step = 0; step < 200; ++step)
        at = world.moveBox(at, size, CVector2(16, 0));
    EXPECT_GT(at.x, 60 * 32.0f);  // past the river, which winds around column 52
}
