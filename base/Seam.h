// A replaceable platform call, for the few calls that tests cannot make fail for real
// or that would harm the machine (a reboot). Tests swap the pointer with ScopedSeam,
// which puts the real function back when it goes out of scope.
#ifndef QUORLEN_BASE_SEAM_H
#define QUORLEN_BASE_SEAM_H

template <typename Fn>
class ScopedSeam {
public:
    ScopedSeam(Fn& slot, Fn replacement) : slot_(slot), saved_(slot) { slot_ = replacement; }
    ~ScopedSeam() { slot_ = saved_; }
    ScopedSeam(const ScopedSeam&) = delete;
    ScopedSeam& operator=(const ScopedSeam&) = delete;

private:
    Fn& slot_;
    Fn saved_;
};

#endif
