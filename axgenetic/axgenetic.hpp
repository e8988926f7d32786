// The whole public API of axgenetic.
#pragma once

#include "axgenetic/platform/bits.hpp"
#include "axgenetic/platform/collection.hpp"
#include "axgenetic/platform/component.hpp"
#include "axgenetic/platform/enum_names.hpp"
#include "axgenetic/platform/exceptions.hpp"
#include "axgenetic/platform/format.hpp"
#include "axgenetic/platform/math.hpp"
#include "axgenetic/platform/object.hpp"
#include "axgenetic/platform/random.hpp"
#include "axgenetic/platform/set.hpp"
#include "axgenetic/platform/string_list.hpp"
#include "axgenetic/platform/text.hpp"

#include "axgenetic/common/ax_exception.hpp"
#include "axgenetic/common/float_priority_queue.hpp"
#include "axgenetic/core/defaults.hpp"
#include "axgenetic/core/exceptions.hpp"
#include "axgenetic/core/genetic_component.hpp"
#include "axgenetic/core/individual.hpp"
#include "axgenetic/core/messages.hpp"
#include "axgenetic/core/types.hpp"
