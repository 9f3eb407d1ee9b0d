// The default template in a real browser: a stranger's HTML mail exported through it must
// neither run its scripts nor fetch remote images. The same page without the template's
// Content-Security-Policy runs both, which shows that the test can see either happen.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <thread>

#include "export/export_all_in_one.h"
#include "html_export_fixture.h"

namespace {

constexpr char kChromium[] = "/usr/bin/chromium";

// Counts the HTTP requests made to a port on the loopback interface and answers each with
// an empty 404, so that a page that does fetch still finishes loading.
class CRequestCounter {
public:
    CRequestCounter() {
        m_Socket = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = 0;
        socklen_t length = sizeof addr;
        if (m_Socket < 0 || bind(m_Socket, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
            listen(m_Socket, 16) != 0 ||
            getsockname(m_Socket, reinterpret_cast<sockaddr*>(&addr), &length) != 0) {
            return;
        }
        m_Port = ntohs(addr.sin_port);
        m_Thread = std::thread([this] { Serve(); });
    }
    CRequestCounter(const CRequestCounter&) = delete;
    CRequestCounter& operator=(const CRequestCounter&) = delete;
    ~CRequestCounter() {
        m_Stop = true;
        if (m_Thread.joinable())
            m_Thread.join();
        if (m_Socket >= 0)
            close(m_Socket);
    }

    [[nodiscard]] int Port() const { return m_Port; }
    [[nodiscard]] int Requests() const { return m_Requests; }

private:
    void Serve() {
        while (!m_Stop) {
            pollfd p{m_Socket, POLLIN, 0};
            if (poll(&p, 1, 100) <= 0)
                continue;
            const int client = accept(m_Socket, nullptr, nullptr);
            if (client < 0)
                continue;
            ++m_Requests;
            char buffer[2048];
            pollfd c{client, POLLIN, 0};
            if (poll(&c, 1, 1000) > 0) {
                [[maybe_unused]] const ssize_t n = read(client, buffer, sizeof buffer);
            }
            static constexpr char kAnswer[] =
                "HTTP/1.0 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
            [[maybe_unused]] const ssize_t w = write(client, kAnswer, sizeof kAnswer - 1);
            close(client);
        }
    }

    int m_Socket = -1;
    int m_Port = 0;
    std::atomic<int> m_Requests{0};
    std::atomic<bool> m_Stop{false};
    std::thread m_Thread;
};

// The DOM after loading the page, as headless Chromium prints it.
std::string DumpDom(const std::filesystem::path& page, const std::filesystem::path& profile) {
    const std::string command =
        std::string("timeout 90 ") + kChromium +
        " --headless --no-sandbox --disable-gpu --disable-quic --no-first-run"
        " --disable-background-networking --disable-component-update --disable-sync"
        " --user-data-dir='" +
        profile.string() + "' --dump-dom 'file://" + page.string() + "' 2>/dev/null";
    std::string dom;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        std::size_t n = 0;
        while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
            dom.append(buffer, n);
        pclose(pipe);
    }
    return dom;
}

class BrowserTest : public HtmlExportTest {
protected:
    // Exports one hostile HTML mail through the template text; returns the page path.
    std::filesystem::path ExportHostileMail(const std::string& templateText, int port,
                                            std::string_view name) {
        dbxw::Message m;
        m.subject = "Hostile";
        m.text =
            "Subject: Hostile\r\nFrom: \"Mallory\"\r\nContent-Type: text/html; charset=us-ascii\r\n"
            "\r\n<p id=\"victim\">untouched</p>"
            "<script>document.getElementById('victim').textContent='SCRIPT' + '-RAN';</script>"
            "<img src=\"http://127.0.0.1:" +
            std::to_string(port) + "/pixel.png\" alt=\"remote\">\r\n";
        OpenMailbox({m});
        CAllInOneRequest r;
        r.templatePath = TemplateFile(templateText, "tpl.html");
        r.outputFile = temp.WidePath(name);
        r.sortBy = 0;
        r.title = u"Browser check";
        r.codePage = 65001;
        EXPECT_TRUE(ExportAllInOne(session, r));
        return temp.Path(name);
    }
};

TEST_F(BrowserTest, DefaultTemplateBlocksScriptsAndRemoteImages) {
    if (!std::filesystem::exists(kChromium))
        GTEST_SKIP() << "no " << kChromium;
    const std::string shipped =
        ReadWholeFile(std::filesystem::path(QUILLBOX_TEMPLATE_DIR) / "html_style1.html");
    ASSERT_NE(shipped.find("Content-Security-Policy"), std::string::npos);

    // The same page without its policy: the script runs and the image is fetched.
    {
        std::string open = shipped;
        const std::size_t start = open.find("<meta http-equiv=\"Content-Security-Policy\"");
        ASSERT_NE(start, std::string::npos);
        open.erase(start, open.find('>', start) + 1 - start);
        CRequestCounter counter;
        ASSERT_GT(counter.Port(), 0);
        const auto page = ExportHostileMail(open, counter.Port(), "open.html");
        const std::string dom = DumpDom(page, temp.Path("profile-open"));
        ASSERT_NE(dom.find("Browser check"), std::string::npos) << "the page did not load";
        EXPECT_NE(dom.find("SCRIPT-RAN"), std::string::npos);
        EXPECT_GT(counter.Requests(), 0);
    }

    CRequestCounter counter;
    ASSERT_GT(counter.Port(), 0);
    const auto page = ExportHostileMail(shipped, counter.Port(), "guarded.html");
    const std::string dom = DumpDom(page, temp.Path("profile-guarded"));
    ASSERT_NE(dom.find("Browser check"), std::string::npos) << "the page did not load";
    EXPECT_NE(dom.find(">untouched<"), std::string::npos);
    EXPECT_EQ(dom.find("SCRIPT-RAN"), std::string::npos);
    EXPECT_EQ(counter.Requests(), 0);
}

TEST_F(BrowserTest, TextWithAngleBracketsStaysTextInThePage) {
    if (!std::filesystem::exists(kChromium))
        GTEST_SKIP() << "no " << kChromium;
    dbxw::Message m;
    m.subject = "x";
    m.text =
        "Subject: <b>bold</b>\r\nFrom: Mallory <evil@example.com>\r\n"
        "Content-Type: text/plain; charset=us-ascii\r\n\r\n"
        "On Monday, Carol <carol@example.com> wrote:\r\nif (a<b && c>d) return;\r\n";
    m.recipientName = "Eve<i>";
    m.recipientAddress = "eve@x.org";
    OpenMailbox({m});
    CAllInOneRequest r;
    r.templatePath =
        (std::filesystem::path(QUILLBOX_TEMPLATE_DIR) / "html_style1.html").u16string();
    r.outputFile = temp.WidePath("page.html");
    r.sortBy = 0;
    r.title = u"Markup check";
    r.codePage = 65001;
    ASSERT_TRUE(ExportAllInOne(session, r));
    const std::string dom = DumpDom(temp.Path("page.html"), temp.Path("profile"));
    ASSERT_NE(dom.find("Markup check"), std::string::npos) << "the page did not load";
    // The browser serialises text nodes with their brackets escaped: each piece is text.
    EXPECT_NE(dom.find("&lt;b&gt;bold&lt;/b&gt;"), std::string::npos) << dom;
    EXPECT_NE(dom.find("Mallory &lt;evil@example.com&gt;"), std::string::npos) << dom;
    EXPECT_NE(dom.find("Carol &lt;carol@example.com&gt; wrote:"), std::string::npos) << dom;
    EXPECT_NE(dom.find("if (a&lt;b &amp;&amp; c&gt;d) return;"), std::string::npos) << dom;
    EXPECT_NE(dom.find("Eve&lt;i&gt;"), std::string::npos) << dom;
    // No element came out of the message's text.
    EXPECT_EQ(dom.find("<b>"), std::string::npos) << dom;
    EXPECT_EQ(dom.find("<b "), std::string::npos) << dom;
    EXPECT_EQ(dom.find("<i>"), std::string::npos) << dom;
    EXPECT_EQ(dom.find("<carol"), std::string::npos) << dom;
}

}  // namespace
