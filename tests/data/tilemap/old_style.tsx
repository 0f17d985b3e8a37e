<?xml version="1.0" encoding="UTF-8"?>
<tileset name="old" spacing="2" margin="1">
 <image source="old_style.png"/>
</tileset>
