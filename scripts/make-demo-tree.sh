#!/usr/bin/env bash
# Makes the sample tree the demo server of `make run` serves: Chinese and English names, names
# with spaces, nested folders, and one 100 MB file (sparse, so it costs no disk) for watching a
# transfer. Files that already exist are left alone, so uploads and edits survive a rebuild.
# usage: make-demo-tree.sh FOLDER
set -euo pipefail
[ $# -eq 1 ] || { echo "usage: $0 FOLDER" >&2; exit 2; }
root=$1

text() { # PATH TEXT
  mkdir -p "$(dirname "$root/$1")"
  [ -e "$root/$1" ] || printf '%s\n' "$2" >"$root/$1"
}

text "欢迎使用 KEVRA.txt" "这是 make run 启动的演示服务器。可以浏览、下载,也可以上传到任何文件夹。"
text "README.txt" "The demo FTP server started by 'make run': anonymous and writable, on 127.0.0.1 only."
text "文档/项目计划.txt" "第一阶段:连接与浏览;第二阶段:传送队列。"
text "文档/会议记录 2026-12.txt" "与会者:张三、李四。"
text "文档/年度报告/2026 年度总结.txt" "全年共传送文件 1024 个。"
text "documents/annual report 2026.txt" "Files moved this year: 1024."
text "documents/letters/to the team.txt" "Thanks for a good year."
text "photos/2026/summer trip/notes on the beach.txt" "Sand, sea, and a slow uplink."
text "照片/2026/春节/说明.txt" "春节照片放在这里。"
text "软件/工具/版本 1.0/更新说明.txt" "版本 1.0:第一个版本。"
text "file with  two spaces.txt" "Two spaces in the name, kept as they are."
mkdir -p "$root/上传 uploads" "$root/empty folder"

big="$root/大文件 100MB.bin"
[ -e "$big" ] || truncate -s 100M "$big"
