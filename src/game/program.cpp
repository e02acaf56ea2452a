#include "game/program.h"

namespace {

ProgramObjects* liveObjects = nullptr;

}  // namespace

ProgramObjects::ProgramObjects() { liveObjects = this; }

ProgramObjects::~ProgramObjects() { liveObjects = nullptr; }

ProgramObjects& Program() { return *liveObjects; }
