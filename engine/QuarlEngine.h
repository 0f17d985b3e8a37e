#ifndef ENGINE_QUARLENGINE_H
#define ENGINE_QUARLENGINE_H

// The whole public API in one include: #include <engine/QuarlEngine.h> (with the package's include
// folder, or this tree's root, on the include path). Every header also compiles on its own.

#include "engine/Version.h"
#include "engine/audio/Music.h"
#include "engine/audio/Sound.h"
#include "engine/audio/SoundManager.h"
#include "engine/camera/Camera.h"
#include "engine/camera/Camera2D.h"
#include "engine/camera/CameraManager.h"
#include "engine/core/App.h"
#include "engine/core/BitmapImage.h"
#include "engine/core/DataFiles.h"
#include "engine/core/Engine.h"
#include "engine/core/Log.h"
#include "engine/core/Registry.h"
#include "engine/core/Utils.h"
#include "engine/graphics/GraphicsCore.h"
#include "engine/gui/Button.h"
#include "engine/gui/Pointer.h"
#include "engine/gui/StaticText.h"
#include "engine/gui/ToggleButton.h"
#include "engine/gui/Window.h"
#include "engine/gui/WindowManager.h"
#include "engine/input/EventManager.h"
#include "engine/math/Vector2.h"
#include "engine/math/Vector3.h"
#include "engine/math/VectorMath.h"
#include "engine/shader/Shader.h"
#include "engine/shader/ShaderManager.h"
#include "engine/sprite/Sprite.h"
#include "engine/sprite/SpriteBatch.h"
#include "engine/text/Font.h"
#include "engine/text/FontManager.h"
#include "engine/texture/ImageLimits.h"
#include "engine/texture/TGAImage.h"
#include "engine/texture/Texture.h"
#include "engine/texture/TextureManager.h"
#include "engine/texture/TextureRegion.h"

#endif
