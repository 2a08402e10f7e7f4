2 0 0 https://kestrune.org/download/
