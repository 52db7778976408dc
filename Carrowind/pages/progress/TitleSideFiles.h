// The Progress page's third stage, with what it prepares before the first part: the title's
// cover for a player that shows one (the program's default picture when the title has none),
// the title's side files onto the player once the last part is there (to a Windows Mobile
// player, and to a mass-storage player for an MP3 title), and the half-written part a
// cancelled transfer left.
#pragma once

#include "ProgressRun.h"

class CWizardSheet;
class PlayerRecord;

class CTitleSideFiles {
public:
    // The picture the run sends, for a player that shows one (a Zune, an Apple player, an MTP
    // player whose album is not made yet, a Windows Mobile or mass-storage player): when the
    // title names a picture that is missing, the program's default picture is put there; when
    // it names none, the default picture is sent as it lies beside the program (nothing is
    // written into the title's folder). A picture that is there is never replaced.
    static CString PrepareCover(PlayerRecord* player, const CString& coverPath);
    // After the last part: the title's order file, covers and banner onto the player.
    static void CopyAfterLastPart(PlayerRecord* player, CWizardSheet* sheet);
    // After a cancel: deletes the half-written part (its name on the player).
    static void DeletePartial(PlayerRecord* player, const CString& targetName);
};
