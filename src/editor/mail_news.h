// In-game mail (MAILn.DAT) and the daily news (LOGNOW.TXT), byte for byte. The notices are handed
// to an operation, which appends them (notice_file) once its records are written.
#pragma once
#include <cstdint>
#include <string>

#include "editor/operation.h"

void WriteCleanSlateNotices(GameOperation& op, int type, int32_t player, const std::string& name);
void MailDivorceNotice(GameOperation& op, int32_t a, const std::string& name_a, int32_t b,
                       const std::string& name_b);
void MailWeddingNotice(GameOperation& op, int32_t a, const std::string& name_a, int32_t b,
                       const std::string& name_b);
void MailNpcWeddingNotice(GameOperation& op, int32_t player, const std::string& name,
                          const std::string& npc_name);
void NewsDivorce(GameOperation& op, const std::string& name_a, const std::string& name_b);
void NewsMarriage(GameOperation& op, const std::string& name_a, const std::string& name_b);
