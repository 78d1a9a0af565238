#include "platform/LineReader.h"

#include "platform/ByteStream.h"

LineReader::Status LineReader::readLine(QByteArray& line, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!takeLine(line)) {
        if (buffer_.size() > maxLineLength) {
            buffer_.clear();
            scanned_ = 0;
            return Status::TooLong;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        char block[receiveBlock];
        const qint64 count =
            stream_.receive(block, receiveBlock, std::max(left, std::chrono::milliseconds(0)));
        if (count == 0)
            return Status::Closed;
        if (count < 0)
            return stream_.timedOut() ? Status::TimedOut : Status::Failed;
        buffer_.append(block, count);
    }
    if (line.size() > maxLineLength) {
        line.clear();
        return Status::TooLong;
    }
    return Status::Line;
}

bool LineReader::takeLine(QByteArray& line)
{
    const qsizetype end = buffer_.indexOf('\n', scanned_);
    if (end < 0) {
        scanned_ = buffer_.size();
        return false;
    }
    const qsizetype length = end > 0 && buffer_.at(end - 1) == '\r' ? end - 1 : end;
    line = buffer_.left(length);
    buffer_.remove(0, end + 1);
    scanned_ = 0;
    return true;
}

bool LineReader::writeLine(const QByteArray& text, std::chrono::milliseconds timeout)
{
    QByteArray output;
    output.reserve(text.size() + 2);
    output.append(text).append("\r\n", 2);
    return stream_.sendAll(output.constData(), output.size(), timeout);
}

bool LineReader::hasBufferedData() const
{
    return !buffer_.isEmpty() || stream_.hasPendingData();
}
