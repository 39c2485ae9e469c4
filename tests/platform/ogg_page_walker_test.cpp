#include "platform/ogg_page_walker.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using dl::decode::OggPageWalker;

// One logical stream's pages, a page per packet, packets "<serial>:<n>".
std::vector<std::string> stream_pages(int serial, int packets) {
    ogg_stream_state os;
    ogg_stream_init(&os, serial);
    std::vector<std::string> pages;
    for (int n = 0; n < packets; ++n) {
        std::string body = std::to_string(serial) + ":" + std::to_string(n);
        ogg_packet p{};
        p.packet = reinterpret_cast<unsigned char*>(body.data());
        p.bytes = long(body.size());
        p.b_o_s = n == 0;
        p.e_o_s = n + 1 == packets;
        p.granulepos = n;
        p.packetno = n;
        ogg_stream_packetin(&os, &p);
        ogg_page page;
        while (ogg_stream_flush(&os, &page) != 0)
            pages.push_back(std::string(reinterpret_cast<char*>(page.header), size_t(page.header_len)) +
                            std::string(reinterpret_cast<char*>(page.body), size_t(page.body_len)));
    }
    ogg_stream_clear(&os);
    return pages;
}

void push(OggPageWalker& w, const std::string& bytes) {
    ASSERT_TRUE(w.push(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
}

std::string text(const ogg_packet& p) { return std::string(reinterpret_cast<const char*>(p.packet), size_t(p.bytes)); }

// Walks every page of what was pushed: a beginning page of `serial` becomes the link, the link's
// pages give their packets.
std::vector<std::string> packets_of(OggPageWalker& w, int serial) {
    std::vector<std::string> out;
    ogg_page page;
    while (w.next_page(page)) {
        if (ogg_page_bos(&page)) {
            ogg_packet first;
            if (ogg_page_serialno(&page) == serial && w.probe(page, first)) {
                out.push_back(text(first));
                w.begin_link();
            } else {
                w.drop_probe();
            }
            continue;
        }
        if (!w.link_page(page)) continue;
        ogg_packet p;
        while (w.next_packet(p)) out.push_back(text(p));
    }
    return out;
}

TEST(OggPageWalker, PagesComeWholeHoweverTheBytesArriveAndJunkIsPassedOver) {
    std::string bytes = "not a page at all";
    for (const std::string& p : stream_pages(7, 3)) bytes += p + "junk";
    OggPageWalker w;
    std::vector<std::string> got;
    for (char c : bytes) {
        push(w, std::string(1, c));
        for (const std::string& s : packets_of(w, 7)) got.push_back(s);
    }
    EXPECT_EQ(got, (std::vector<std::string>{"7:0", "7:1", "7:2"}));
}

TEST(OggPageWalker, TheLinkTakesOnlyItsOwnStreamsPages) {
    const std::vector<std::string> a = stream_pages(1, 3), b = stream_pages(2, 3);
    std::string bytes;
    for (size_t i = 0; i < a.size(); ++i) bytes += a[i] + b[i];  // multiplexed
    OggPageWalker w;
    push(w, bytes);
    EXPECT_EQ(packets_of(w, 2), (std::vector<std::string>{"2:0", "2:1", "2:2"}));
    EXPECT_TRUE(w.linked());
    EXPECT_EQ(w.serial(), 2);
}

TEST(OggPageWalker, ANewLinkEndsTheOldOneAndADroppedProbeKeepsIt) {
    OggPageWalker w;
    push(w, stream_pages(1, 2)[0]);
    ogg_page page;
    ASSERT_TRUE(w.next_page(page));
    ogg_packet first;
    ASSERT_TRUE(w.probe(page, first));
    w.begin_link();

    // A probe of another stream that is dropped leaves the link as it was.
    const std::vector<std::string> other = stream_pages(5, 2);
    push(w, other[0]);
    ASSERT_TRUE(w.next_page(page));
    ASSERT_TRUE(w.probe(page, first));
    EXPECT_EQ(text(first), "5:0");
    w.drop_probe();
    EXPECT_EQ(w.serial(), 1);
    push(w, stream_pages(1, 2)[1]);
    ASSERT_TRUE(w.next_page(page));
    EXPECT_TRUE(w.link_page(page));

    // Taken up, it ends the link: pages of the first stream no longer fit.
    push(w, stream_pages(9, 2)[0]);
    ASSERT_TRUE(w.next_page(page));
    ASSERT_TRUE(w.probe(page, first));
    w.begin_link();
    EXPECT_EQ(text(first), "9:0");  // still readable once the probe became the link
    EXPECT_EQ(w.serial(), 9);
    push(w, stream_pages(1, 2)[1]);
    ASSERT_TRUE(w.next_page(page));
    EXPECT_FALSE(w.link_page(page));
}

TEST(OggPageWalker, APacketAfterALostPageStillComesOut) {
    const std::vector<std::string> pages = stream_pages(3, 4);
    OggPageWalker w;
    push(w, pages[0] + pages[1] + pages[3]);  // page 2 lost
    EXPECT_EQ(packets_of(w, 3), (std::vector<std::string>{"3:0", "3:1", "3:3"}));
}

TEST(OggPageWalker, NothingLinkedTakesNoPage) {
    OggPageWalker w;
    push(w, stream_pages(4, 2)[1]);
    ogg_page page;
    ASSERT_TRUE(w.next_page(page));
    EXPECT_FALSE(w.linked());
    EXPECT_FALSE(w.link_page(page));
    w.begin_link();  // without a probe: nothing happens
    EXPECT_FALSE(w.linked());
}

}  // namespace
