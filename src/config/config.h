#pragma once
// Everything of the configuration store: line lists, configuration files,
// directive keywords and tokens, directive access.

#include "config/config_file.h"
#include "config/directive_access.h"
#include "config/directive_names.h"
#include "config/line_list.h"
#include "config/protection_blocks.h"
