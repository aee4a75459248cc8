#include "comm/state.h"

#include "comm/channel.h"
#include "comm/local_screen.h"

void CommReset() {
  ChannelReset();
  LocalScreenReset();
}
