2026-12-01
Mojeek
https://www.mojeek.com/
https://www.mojeek.com/search?q=%s+ftp
DuckDuckGo%20Lite
https://lite.duckduckgo.com/
https://lite.duckduckgo.com/lite/?q=%s+ftp
