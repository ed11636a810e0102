#include "config_device.h"

namespace tvsim {

void ConfigDevice::preload(const std::string& design)
{
    rx_.stop();
    design_ = design;
}

void ConfigDevice::program(bool asserted)
{
    if (asserted == clearing_)
        return;
    if (ignores_program_ && done())
        return;
    clearing_ = asserted;
    design_.clear();
    startup_ = 0;
    if (asserted)
        rx_.stop();
    else
        rx_.start();
}

bool ConfigDevice::accepted() const
{
    return !rejects_ && rx_.design().compare(0, family_.size(), family_) == 0;
}

void ConfigDevice::clock(int bit)
{
    if (clearing_ || done())
        return;
    if (rx_.state() == BitstreamReceiver::State::Receiving) {
        rx_.push_bit(bit);
        if (rx_.state() == BitstreamReceiver::State::Done && accepted() && startup_clocks_ == 0)
            design_ = rx_.design();
        return;
    }
    // Start-up: the clocks after the last configuration bit.
    if (rx_.state() == BitstreamReceiver::State::Done && accepted() && ++startup_ >= startup_clocks_)
        design_ = rx_.design();
}

void ConfigDevice::strobe(uint8_t byte)
{
    if (clearing_ || done() || rx_.state() != BitstreamReceiver::State::Receiving)
        return;
    rx_.push_byte(byte);
    if (rx_.state() == BitstreamReceiver::State::Done && accepted())
        design_ = rx_.design();
}

}  // namespace tvsim
