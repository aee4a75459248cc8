// In-game mail (MAILn.DAT) and the daily news (LOGNOW.TXT): appended to, byte for byte.
#pragma once
#include <cstdint>
#include <string>

void WriteCleanSlateNotices(int type, int32_t player, const std::string& name);
void MailDivorceNotice(int32_t a, const std::string& name_a, int32_t b, const std::string& name_b);
void MailWeddingNotice(int32_t a, const std::string& name_a, int32_t b, const std::string& name_b);
void MailNpcWeddingNotice(int32_t player, const std::string& name, const std::string& npc_name);
void NewsDivorce(const std::string& name_a, const std::string& name_b);
void NewsMarriage(const std::string& name_a, const std::string& name_b);
