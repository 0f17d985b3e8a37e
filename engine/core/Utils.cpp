#include "engine/core/Utils.h"

CUtils::CUtils() = default;

CUtils::~CUtils() = default;
