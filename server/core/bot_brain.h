#pragma once

#include "bots/brain.h"
#include "server/core/tiles.h"

// The server's computer players decide with the shared bots layer.
namespace qira::server {

using bots::BotBrain;
using bots::BotStyle;
using bots::BotView;
using bots::ShantenOf;

}  // namespace qira::server
