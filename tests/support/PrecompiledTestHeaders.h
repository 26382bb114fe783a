// The precompiled header of the test programs: the product's system headers and
// the test framework, which every test source includes.
#pragma once

// The loopback servers of the tests use sockets, whose header must come first.
#include <winsock2.h>
#include <ws2tcpip.h>

#include "common/PrecompiledHeaders.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
