#pragma once
// The segment-table builders live with the other project-file builders.
#include "ProjectBytes.h"
