#pragma once
// Every record type of the scene format with its field table.
#include "format/records_animation.h"
#include "format/records_geometry.h"
#include "format/records_materials.h"
#include "format/records_roots.h"
#include "format/records_scene_graph.h"
#include "format/records_transform.h"
#include "format/records_version1.h"
