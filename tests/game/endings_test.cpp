// Scripted playthroughs: the intended path to the victory, and one script for each of the
// seven other endings. Each checks the texts of its key screens and that the process ends
// with exit code 0 after the end prompt.
#include <gtest/gtest.h>

#include "endings.h"
#include "player.h"

using testing::ExitedWithCode;

namespace {

constexpr uint32_t fast = 10;
constexpr const char* reached_the_end = "the end prompt showed";

[[noreturn]] void play_to(void (*ending)()) {
    play_game(fast, [ending] {
        skip_opening();
        ending();
    });
}

} // namespace

TEST(Endings, VictoryByTheIntendedPath) {
    EXPECT_EXIT(play_to(victory_by_the_intended_path), ExitedWithCode(0), reached_the_end);
}

TEST(Endings, QuitMocksThePlayerAfterCaseExactCommands) {
    EXPECT_EXIT(play_to(quit_after_case_exact_commands), ExitedWithCode(0), reached_the_end);
}

TEST(Endings, TheRoadRunsThePlayerOverAfterOneWarning) {
    EXPECT_EXIT(play_to(run_over_on_the_road), ExitedWithCode(0), reached_the_end);
}

TEST(Endings, TheTelevisionsLastProgrammeIsTheVillainsBroadcast) {
    EXPECT_EXIT(play_to(the_villains_broadcast), ExitedWithCode(0), reached_the_end);
}

TEST(Endings, TheFriendKillsAnEnrolledPlayerAtTheBackRoomDoor) {
    EXPECT_EXIT(play_to(killed_by_the_friend), ExitedWithCode(0), reached_the_end);
}

TEST(Endings, TheUfoShootsWhileTheFriendLives) {
    EXPECT_EXIT(play_to(shot_by_the_ufo), ExitedWithCode(0), reached_the_end);
}

TEST(Endings, TheVillainIsNotPleasedByAWrongAction) {
    EXPECT_EXIT(play_to(a_wrong_action_in_the_throne_room), ExitedWithCode(0), reached_the_end);
}

TEST(Endings, TheVillainShootsFirstWhenNoKeyComes) {
    EXPECT_EXIT(play_to(shot_first_by_the_villain), ExitedWithCode(0), reached_the_end);
}
