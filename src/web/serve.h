// zorvan32 serve: the web console, a page and a JSON API over HTTP on top of the command words.
#pragma once
#include "commands/commands.h"

int RunServe(const CommandArgs& args);
