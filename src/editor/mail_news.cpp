#include "editor/mail_news.h"

// Not built yet.
void WriteCleanSlateNotices(int, int32_t, const std::string&) {}
void MailDivorceNotice(int32_t, const std::string&, int32_t, const std::string&) {}
void MailWeddingNotice(int32_t, const std::string&, int32_t, const std::string&) {}
void MailNpcWeddingNotice(int32_t, const std::string&, const std::string&) {}
void NewsDivorce(const std::string&, const std::string&) {}
void NewsMarriage(const std::string&, const std::string&) {}
