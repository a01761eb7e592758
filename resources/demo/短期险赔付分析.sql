-- Premium and claims of the short-term business by product and branch; the
-- branch's city and region come from the organisation table d_org.
SELECT f.mgr_branch, p.class_name, p.pol_name,
       SUBSTR(CAST(f.group_date AS VARCHAR(10)), 1, 4) || '年' AS stat_year, c.channel_name,
       SUM(f.premium) AS premium, SUM(f.claim) AS claim
FROM f_short_claim f
JOIN d_channel c ON c.channel_code = f.channel_code
JOIN d_product p ON p.pol_code = f.pol_code
GROUP BY f.mgr_branch, p.class_name, p.pol_name,
         SUBSTR(CAST(f.group_date AS VARCHAR(10)), 1, 4) || '年', c.channel_name
