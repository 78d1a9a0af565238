#include "archived/DiskBudget.h"

#include <sys/stat.h>
#include <sys/statvfs.h>

#include <utility>

namespace {
quint64 blocksOf(quint64 bytes, quint64 blockSize)
{
    return bytes / blockSize + (bytes % blockSize != 0 ? 1 : 0);
}

// What is left of available after the margin and what others hold; 0 when nothing is.
quint64 left(quint64 available, quint64 margin, quint64 held)
{
    const quint64 taken = margin + held;
    return available > taken ? available - taken : 0;
}
} // namespace

DiskBudget::Reservation::~Reservation()
{
    release();
}

DiskBudget::Reservation::Reservation(Reservation&& other) noexcept
    : budget_(std::exchange(other.budget_, nullptr)), device_(other.device_),
      blocks_(other.blocks_), inodes_(other.inodes_)
{
}

DiskBudget::Reservation& DiskBudget::Reservation::operator=(Reservation&& other) noexcept
{
    if (this != &other) {
        release();
        budget_ = std::exchange(other.budget_, nullptr);
        device_ = other.device_;
        blocks_ = other.blocks_;
        inodes_ = other.inodes_;
    }
    return *this;
}

void DiskBudget::Reservation::release()
{
    if (budget_)
        budget_->release(device_, blocks_, inodes_);
    budget_ = nullptr;
}

DiskBudget::Reservation DiskBudget::reserve(int folderDescriptor, const Demand& demand)
{
    Reservation reservation;
    struct statvfs disk {};
    struct stat folder {};
    if (::fstatvfs(folderDescriptor, &disk) != 0 || ::fstat(folderDescriptor, &folder) != 0 ||
        disk.f_frsize == 0)
        return reservation;
    quint64 blocks = demand.folders;
    for (const quint64 size : demand.fileSizes) {
        blocks += blocksOf(size, disk.f_frsize);
        if (blocks < size / disk.f_frsize) // wrapped round: no disk holds that much
            return reservation;
    }
    const quint64 inodes = demand.fileSizes.size() + demand.folders;
    std::lock_guard<std::mutex> hold(lock_);
    Held& held = held_[folder.st_dev];
    const quint64 blocksLeft =
        left(disk.f_bavail, quint64(disk.f_blocks) * marginPercent_ / 100, held.blocks);
    // A file system that counts no inodes (f_files 0) has no inode limit to keep.
    const bool inodesFit =
        disk.f_files == 0 ||
        inodes <= left(disk.f_favail, quint64(disk.f_files) * marginPercent_ / 100, held.inodes);
    if (blocks > blocksLeft || !inodesFit)
        return reservation;
    held.blocks += blocks;
    held.inodes += inodes;
    reservation.budget_ = this;
    reservation.device_ = folder.st_dev;
    reservation.blocks_ = blocks;
    reservation.inodes_ = inodes;
    return reservation;
}

void DiskBudget::release(dev_t device, quint64 blocks, quint64 inodes)
{
    std::lock_guard<std::mutex> hold(lock_);
    Held& held = held_[device];
    held.blocks -= blocks;
    held.inodes -= inodes;
}
