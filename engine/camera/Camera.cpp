#include "engine/camera/Camera.h"

CCamera::CCamera() = default;

CCamera::~CCamera() = default;
