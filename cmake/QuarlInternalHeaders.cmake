# Headers the engine's own sources share but a game never needs: neither installed nor pulled into
# engine/QuarlEngine.h. Paths relative to the source root. The consumer check builds every example
# against an install without them.
set(QUARL_INTERNAL_HEADERS
  engine/core/FileReplacement.h
  engine/core/JsonFields.h
  engine/core/LogText.h
  engine/core/WholeFile.h
  engine/graphics/GLStateScope.h
  engine/gui/ButtonParts.h
  engine/gui/Pointer.h
  engine/input/InputQueue.h
  engine/texture/ImageLimits.h
  engine/texture/PixelUpload.h
  engine/text/FaceCache.h
  engine/text/FontFace.h
  engine/text/GlyphSheetLayout.h
  engine/text/GlyphSheetRasterizer.h
  engine/tilemap/TileMapReader.h
)
