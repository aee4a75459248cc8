#include "editor/mail_news.h"

#include <initializer_list>
#include <vector>

namespace {

using Lines = NoticeLines;

const std::string kMailSeparator = "`2-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-";
const std::string kNewsSeparator = "                 `#-=`%-=#-=`%-=#-=`%-=#-=`%-=#-=`%-= ";

// The Clean Slate writer spells the name in capitals, the marriage writers in small letters; both
// reach the same file (GamePath finds an existing one whatever its case).
std::string CleanSlateMailName(int32_t player) { return "MAIL" + std::to_string(player) + ".DAT"; }
std::string NoticeMailName(int32_t player) { return "mail" + std::to_string(player) + ".dat"; }
const std::string kNewsName = "LOGNOW.TXT";

Lines Concat(std::initializer_list<Lines> parts) {
  Lines all;
  for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

const Lines kEntryLevelBody = {
    "  `#As punishment for cheating and/or bullying others in this,",
    "  `#VARN Game, your stats have been RESET to the first-time",
    "  `#game entry settings.",
};
const Lines kPostDragonBody = {
    "  `#As punishment for cheating and/or bullying others in this,",
    "  `#VARN Game, your stats have been RESET to the post-dragon",
    "  `#kill settings.  You retain some earned stats, but do not",
    "  `#receive credit for a game win.",
};
const Lines kCleanSlateClosing = {
    "`2",
    "  `%You were warned repeatedly to stop your bad behavior",
    "  `%and you failed to obey.  `@The Sysop.",
    kMailSeparator,
    " ",
};

Lines CleanSlateMail(int type, const std::string& name) {
  bool entry_level = type == 1;
  std::string header = "  `%Attention: `$" + name + ":  {Clean Slate Message #" +
                       (entry_level ? "1" : "2") + "]";
  return Concat({{header}, entry_level ? kEntryLevelBody : kPostDragonBody, kCleanSlateClosing});
}

Lines CleanSlateNews(int type, const std::string& name) {
  std::string kind = type == 1 ? "an `9Entry-Level" : "a `9Post-Dragon";
  return {
      "  `!" + name + " `0received " + kind + " `@\"Clean Slate\" `0reset today",
      "  `0from the Sysop, as `@punishment `0for abusing the VARN game.",
      kNewsSeparator,
  };
}

// A marriage-office notice: blank, header, one line of news, separator, last line.
Lines Notice(const std::string& header, const std::string& body, const std::string& last = " ") {
  return {" ", header, body, kMailSeparator, last};
}

std::string Attention(const std::string& name, const std::string& subject) {
  return "  `%Attention: `$" + name + ":" + subject;
}

Lines DivorceNotice(const std::string& to, const std::string& other) {
  return Notice(Attention(to, "           [Divorce Notice] "),
                "  `#Your marriage to `@" + other + " `#has been dissolved by your sysop.");
}

std::string WeddingBody(const std::string& other) {
  return "  `#Your sysop has Married you to `@" + other + " `#today. Congratulations.";
}

bool IsNpcName(const std::string& name) { return name == "Quenna" || name == "Dask Able"; }

}  // namespace

void WriteCleanSlateNotices(GameOperation& op, int type, int32_t player, const std::string& name) {
  op.Notice(CleanSlateMailName(player), CleanSlateMail(type, name));
  op.Notice(kNewsName, CleanSlateNews(type, name));
}

void MailDivorceNotice(GameOperation& op, int32_t a, const std::string& name_a, int32_t b,
                       const std::string& name_b) {
  op.Notice(NoticeMailName(a), DivorceNotice(name_a, name_b));
  // The game's characters have no mail file.
  if (!IsNpcName(name_b))
    op.Notice(NoticeMailName(b), DivorceNotice(name_b, name_a));
}

void MailWeddingNotice(GameOperation& op, int32_t a, const std::string& name_a, int32_t b,
                       const std::string& name_b) {
  op.Notice(NoticeMailName(a),
            Notice(Attention(name_a, "           [Wedding Notice] "), WeddingBody(name_b)));
  // B's copy is not an exact mirror of A's (one more blank before the subject, a bare colour code
  // as its last line): the game's mail has always carried it so, and readers may rely on it.
  op.Notice(NoticeMailName(b),
            Notice(Attention(name_b, "            [Wedding Notice] "), WeddingBody(name_a), "`2"));
}

void MailNpcWeddingNotice(GameOperation& op, int32_t player, const std::string& name,
                          const std::string& npc_name) {
  std::string header = Attention(name, "           [NPC Wedding Notice] ");
  std::string body =
      "  `#Your sysop has Married you to `@" + npc_name + " `#today.  Congratulations.";
  op.Notice(NoticeMailName(player), Notice(header, body));
}

void NewsDivorce(GameOperation& op, const std::string& name_a, const std::string& name_b) {
  op.Notice(kNewsName,
            {"  `#" + name_a + " `0was `!Divorced from `#" + name_b + " `0today by the Sysop.",
             kNewsSeparator});
}

void NewsMarriage(GameOperation& op, const std::string& name_a, const std::string& name_b) {
  op.Notice(kNewsName,
            {"  `$" + name_a + " `0was `$Married to " + name_b + " `0today by the Sysop.",
             kNewsSeparator});
}
