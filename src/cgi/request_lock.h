#pragma once
// The request lock is the configuration store's writer lock; the command
// line takes the same one.
#include "config/config_lock.h"
