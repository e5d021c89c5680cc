// The eight endings, each played from the bedroom's first prompt, with the inventory of the
// game's start, through its key screens to the end prompt and on until the process ends. The
// endings' tests play each straight after the opening; the soak test after a long stretch of
// ordinary play.
#pragma once

[[noreturn]] void victory_by_the_intended_path();
[[noreturn]] void quit_after_case_exact_commands();
[[noreturn]] void run_over_on_the_road();
[[noreturn]] void the_villains_broadcast();
[[noreturn]] void killed_by_the_friend();
[[noreturn]] void shot_by_the_ufo();
[[noreturn]] void a_wrong_action_in_the_throne_room();
[[noreturn]] void shot_first_by_the_villain();

struct Ending {
    const char* name;
    void (*play)();
};
inline constexpr Ending endings[] = {
    {"VictoryByTheIntendedPath", victory_by_the_intended_path},
    {"QuitMocksThePlayerAfterCaseExactCommands", quit_after_case_exact_commands},
    {"TheRoadRunsThePlayerOverAfterOneWarning", run_over_on_the_road},
    {"TheTelevisionsLastProgrammeIsTheVillainsBroadcast", the_villains_broadcast},
    {"TheFriendKillsAnEnrolledPlayerAtTheBackRoomDoor", killed_by_the_friend},
    {"TheUfoShootsWhileTheFriendLives", shot_by_the_ufo},
    {"TheVillainIsNotPleasedByAWrongAction", a_wrong_action_in_the_throne_room},
    {"TheVillainShootsFirstWhenNoKeyComes", shot_first_by_the_villain},
};
