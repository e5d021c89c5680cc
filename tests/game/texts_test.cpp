// The game's texts fit the 80-column screen, so no line of them wraps.
#include <gtest/gtest.h>

#include <cstring>

#include "game/story.h"
#include "game/world.h"

namespace {

constexpr size_t columns = 80;

void expect_fits(const char* line, size_t indent = 0) {
    EXPECT_LE(std::strlen(line) + indent, columns) << line;
}

void expect_fit(Lines lines, size_t indent = 0) {
    for (const char* line : lines) expect_fits(line, indent);
}

} // namespace

TEST(Texts, RoomsFitTheScreen) {
    for (Scene room : {Scene::bedroom, Scene::living_room, Scene::home_sidewalk, Scene::supply_room,
                       Scene::east_sidewalk, Scene::university_entrance, Scene::computer_shop,
                       Scene::back_room}) {
        const RoomData& data = room_data(room);
        for (const RoomLine& line : data.description) expect_fits(line.text);
        expect_fit(data.map);
        for (const Rule& rule : data.rules)
            if (rule.outcome.reply) expect_fit(rule.outcome.reply->lines);
        if (data.unknown.next_line) expect_fits(data.unknown.next_line);
    }
}

TEST(Texts, ScenesFitTheScreen) {
    using namespace story;
    for (Lines lines : {title,
                        cash_machine_intro,
                        brain_enhancer,
                        store_entry,
                        enrolment_question,
                        classroom,
                        friend_likes_polka,
                        ufo_ready,
                        ufo_software_only,
                        ufo_laptop_only,
                        slot_question,
                        transporter,
                        throne_arrival,
                        villain_unimpressed,
                        shoot_out,
                        explosion,
                        unmasked,
                        wrong_file,
                        closing,
                        alien_friend})
        expect_fit(lines);
    for (const Speech& speech : dream)
        expect_fit(speech.lines,
                   speech.speaker == Speaker::henchman ? std::strlen(henchman_indent) : 0);
    for (const Programme& programme : programmes) expect_fit(programme.lines);
    for (const Line& line : throne_dialogue) expect_fits(line.text);
    for (const BroadcastPart& part : broadcast) expect_fit(part.lines);
    for (const char* line : {card_number_remark, billionaire, ufo_go_shopping, broadcast_threat,
                             death_cry, slot_failure, shot_first})
        expect_fits(line);
    // The cash machine prints its menu from the second column of a 640 x 480 screen.
    expect_fit(cash_machine_menu, 1);
}
