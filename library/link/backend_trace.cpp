#include <cinttypes>
#include <cstdio>

#include "link/backends.h"

namespace {

// Logs every port access, one line each, then forwards it. The file is
// opened for appending so that several processes can share one trace.
class TraceBackend final : public PortBackend {
public:
    TraceBackend(PortBackend* inner, std::FILE* file, std::unique_ptr<PortBackend> owned)
        : inner_(inner), file_(file), owned_(std::move(owned))
    {
    }
    ~TraceBackend() override { std::fclose(file_); }

    void out(uint16_t port, uint8_t value) override
    {
        std::fprintf(file_, "%" PRIu64 " W %X %02X\n", inner_->now_us(), port, value);
        inner_->out(port, value);
    }
    uint8_t in(uint16_t port) override
    {
        const uint64_t t = inner_->now_us();
        const uint8_t v = inner_->in(port);
        std::fprintf(file_, "%" PRIu64 " R %X %02X\n", t, port, v);
        return v;
    }
    void delay(uint32_t n) override { inner_->delay(n); }
    void sleep_ms(uint32_t ms) override
    {
        std::fflush(file_);
        inner_->sleep_ms(ms);
    }
    uint32_t tick_ms() override { return inner_->tick_ms(); }
    uint64_t now_us() override { return inner_->now_us(); }
    bool grant(uint16_t first, uint32_t count, bool on) override { return inner_->grant(first, count, on); }

private:
    PortBackend* inner_;
    std::FILE* file_;
    std::unique_ptr<PortBackend> owned_;
};

}  // namespace

std::unique_ptr<PortBackend> make_trace_backend(PortBackend* inner, const char* path,
                                                std::unique_ptr<PortBackend>& owned)
{
    std::FILE* f = std::fopen(path, "a");
    if (f == nullptr) {
        std::fprintf(stderr, "tarvenix: cannot open trace file '%s'\n", path);
        return nullptr;
    }
    return std::make_unique<TraceBackend>(inner, f, std::move(owned));
}
