#pragma once

#include <QtGlobal>

#include <sys/types.h>

#include <map>
#include <mutex>
#include <vector>

// Space on the disk shared by the requests running at once. A request reserves the blocks
// (each file rounded up to the file system's block size, one block per folder) and the inodes
// it will write before writing anything; it is refused unless they fit beside what others hold
// and a margin kept free. Reservations end with the request.
class DiskBudget {
public:
    struct Demand {
        std::vector<quint64> fileSizes;
        quint64 folders = 0;
    };

    // Ends its reservation on destruction. Move-only.
    class Reservation {
    public:
        Reservation() = default;
        ~Reservation();
        Reservation(Reservation&& other) noexcept;
        Reservation& operator=(Reservation&& other) noexcept;
        Reservation(const Reservation&) = delete;
        Reservation& operator=(const Reservation&) = delete;

        bool isGranted() const { return budget_ != nullptr; }

    private:
        friend class DiskBudget;
        void release();

        DiskBudget* budget_ = nullptr;
        dev_t device_ = 0;
        quint64 blocks_ = 0;
        quint64 inodes_ = 0;
    };

    // marginPercent of the file system's blocks and inodes is never handed out.
    explicit DiskBudget(int marginPercent) : marginPercent_(marginPercent) {}

    // A reservation on the file system of the open folder; not granted when it does not fit.
    Reservation reserve(int folderDescriptor, const Demand& demand);

private:
    struct Held {
        quint64 blocks = 0;
        quint64 inodes = 0;
    };

    void release(dev_t device, quint64 blocks, quint64 inodes);

    const int marginPercent_;
    std::mutex lock_;            // guards held_
    std::map<dev_t, Held> held_; // per file system (device)
};
